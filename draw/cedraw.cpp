/* cedraw.cpp - construction of drawing contexts, the pen and font slot and
 * the text colour accessors. The first context of the process sets up the
 * default pen (style 1, width 1, black) and font (16 x 16). */
#include "cedraw.h"

#include <cstring>

#include "text/app_directory.h"

/* Built before any ordinary static object, so that a context the application
 * makes in a static initializer finds them ready (and they are not built over
 * afterwards) when the library is linked in statically. */
CCEPen CCEDraw::m_PenDefault __attribute__((init_priority(200)));
CCEFont CCEDraw::m_FontDefault __attribute__((init_priority(200)));
int CCEDraw::m_bInited = 0;
int CCEDraw::m_bSysFont = 0;

CCEDraw::CCEDraw()
    : m_pPen(nullptr),
      m_pFont(nullptr),
      m_wTextColor(0),
      m_wTextOutColor(0),
      m_nReserved{280, 480, 640, 200} {
    if (!m_bInited) {
        kesra::store_app_directory();
        m_PenDefault.CreatePen(1, 1, 0);
        m_FontDefault.CreateFont(16, 16, 2);
        m_bInited = 1;
    }
    SetGDIObject(&m_PenDefault);
    SetGDIObject(&m_FontDefault);
}

CCEDraw::~CCEDraw() = default;

CCEDraw& CCEDraw::operator=(const CCEDraw& other) {
    CCEGraphics::operator=(other);
    m_pPen = other.m_pPen;
    m_pFont = other.m_pFont;
    m_wTextColor = other.m_wTextColor;
    m_wTextOutColor = other.m_wTextOutColor;
    std::memcpy(m_nReserved, other.m_nReserved, sizeof m_nReserved);
    return *this;
}

CKESRAObject* CCEDraw::SetGDIObject(CKESRAObject* obj) {
    if (!obj) {
        __atomic_store_n(&m_dwLastError, DWORD{CEG_ERR_NULL_OBJECT},
                         __ATOMIC_RELAXED);  // the overlay thread may set it too
        return nullptr;
    }
    CKESRAObject* previous = nullptr;
    if (obj->m_dwType == GDI_TYPE_PEN) {
        previous = m_pPen;
        m_pPen = static_cast<CCEPen*>(obj);
    } else if (obj->m_dwType == GDI_TYPE_FONT) {
        previous = m_pFont;
        m_pFont = static_cast<CCEFont*>(obj);
    }
    return previous;
}

CKESRAObject* CCEDraw::GetGDIObject(DWORD type) {
    if (type == GDI_TYPE_PEN) return m_pPen;
    if (type == GDI_TYPE_FONT) return m_pFont;
    return nullptr;
}

void CCEDraw::SetToDefaultPen() { SetGDIObject(&m_PenDefault); }

void CCEDraw::SetToDefaultFont() { SetGDIObject(&m_FontDefault); }

unsigned short CCEDraw::SetTextColor(unsigned short color) {
    unsigned short previous = m_wTextColor;
    m_wTextColor = color;
    return previous;
}

unsigned short CCEDraw::SetTextOutColor(unsigned short color) {
    unsigned short previous = m_wTextOutColor;
    m_wTextOutColor = color;
    return previous;
}

void CCEDraw::GetFontSize(tagSIZE& size) {
    if (!m_pFont)
        size = tagSIZE{0, 0};
    else
        size = tagSIZE{m_pFont->m_nWidth, m_pFont->m_nHeight};
}
