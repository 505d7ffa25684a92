/* Pens, fonts and the drawing-object slot. */
#include <vector>

#include "tests/test_helpers.h"

namespace {
/* A context built by a static initializer of the application, before the
 * library's own statics might otherwise be: it must still get the 16 x 16
 * default font and the style-1 default pen, and keep them. */
CCEDraw g_static_context;
}  // namespace

TEST(DrawingObjectSlot, ContextBuiltAtStartUpGetsTheDefaults) {
    ASSERT_EQ(g_static_context.m_pPen, &CCEDraw::m_PenDefault);
    EXPECT_EQ(g_static_context.m_pPen->m_dwStyle, 1u);
    EXPECT_EQ(g_static_context.m_pPen->m_dwType, DWORD{GDI_TYPE_PEN});
    tagSIZE size{};
    g_static_context.GetFontSize(size);
    EXPECT_EQ(size.cx, 16);
    EXPECT_EQ(size.cy, 16);
    EXPECT_EQ(g_static_context.m_pFont->m_nP9, 2);
}

std::vector<LONG> parameters(const CCEFont& f) {
    return {f.m_nP1, f.m_nP2, f.m_nP3, f.m_nP4, f.m_nP5, f.m_nP6, f.m_nP7, f.m_nP8, f.m_nP9};
}

TEST(PenAndFont, ConstructorsCopiesAndCreateKeepTheirFields) {
    CCEPen red(2, 5, 0xF800), copy;
    copy = red;
    EXPECT_EQ(copy.m_dwType, DWORD{GDI_TYPE_PEN});
    EXPECT_EQ(copy.m_dwStyle, 2u);
    EXPECT_EQ(copy.m_dwWidth, 5u);
    EXPECT_EQ(copy.m_wColor, 0xF800);

    // Both constructors start from the default parameters; the last is the caller's.
    CCEFont plain, bold(10, 14, 7, 700);
    EXPECT_EQ(parameters(plain), (std::vector<LONG>{2, 16, 0, -1, 1, -1, -1, 0, 0}));
    EXPECT_EQ(parameters(bold), (std::vector<LONG>{2, 16, 0, -1, 1, -1, -1, 0, 7}));
    EXPECT_EQ(plain.m_nWidth, 12);
    EXPECT_EQ(bold.m_dwType, DWORD{GDI_TYPE_FONT});
    bold.m_nP3 = 99;
    EXPECT_EQ(bold.CreateFont(20, 24, 2), 1);  // keeps the weight, resets the parameters
    EXPECT_EQ(bold.m_nWeight, 700);
    EXPECT_EQ(bold.m_nWidth, 20);
    EXPECT_EQ(bold.m_nHeight, 24);
    EXPECT_EQ(parameters(bold), (std::vector<LONG>{2, 16, 0, -1, 1, -1, -1, 0, 2}));
    CCEFont copied;
    copied = bold;
    EXPECT_EQ(copied.m_nHeight, 24);
    EXPECT_EQ(copied.m_nP9, 2);
}

/* The exported records keep their field order: 32-bit fields back to back. */
TEST(PenAndFont, FieldsLieInTheirDeclaredOrder) {
    CCEFont f;
    const LONG* first = &f.m_nWidth;
    const LONG* fields[] = {&f.m_nWidth, &f.m_nHeight, &f.m_nWeight, &f.m_nP1, &f.m_nP2, &f.m_nP3,
                            &f.m_nP4,    &f.m_nP5,     &f.m_nP6,     &f.m_nP7, &f.m_nP8, &f.m_nP9};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(fields[i] - first, i);
    EXPECT_EQ(reinterpret_cast<const char*>(first) - reinterpret_cast<const char*>(&f), 4);
    CCEPen p;
    EXPECT_LT(reinterpret_cast<char*>(&p.m_dwType), reinterpret_cast<char*>(&p.m_dwStyle));
    EXPECT_EQ(&p.m_dwWidth - &p.m_dwStyle, 1);
    CCEDraw dc;
    const char* order[] = {
        reinterpret_cast<char*>(&dc.m_dwLastError),   reinterpret_cast<char*>(&dc.m_bDrawing),
        reinterpret_cast<char*>(&dc.m_hMemDC),        reinterpret_cast<char*>(&dc.m_hBitmap),
        reinterpret_cast<char*>(&dc.m_hOldBitmap),    reinterpret_cast<char*>(&dc.m_pBits),
        reinterpret_cast<char*>(&dc.m_pBuffer),       reinterpret_cast<char*>(&dc.m_bCreated),
        reinterpret_cast<char*>(&dc.m_bSuspend),      reinterpret_cast<char*>(&dc.m_pPen),
        reinterpret_cast<char*>(&dc.m_pFont),         reinterpret_cast<char*>(&dc.m_wTextColor),
        reinterpret_cast<char*>(&dc.m_wTextOutColor), reinterpret_cast<char*>(dc.m_nReserved)};
    for (size_t i = 1; i < sizeof order / sizeof order[0]; ++i) EXPECT_LT(order[i - 1], order[i]) << i;
}

TEST(DrawingObjectSlot, SelectReturnsWhatItReplaces) {
    CCEDraw dc;

    CCEPen pen(0, 3, 0x07E0);
    CCEFont font(20, 22, 0, 400);
    EXPECT_EQ(dc.SetGDIObject(&pen), &CCEDraw::m_PenDefault);
    EXPECT_EQ(dc.SetGDIObject(&font), &CCEDraw::m_FontDefault);
    EXPECT_EQ(dc.GetGDIObject(GDI_TYPE_PEN), &pen);
    EXPECT_EQ(dc.GetGDIObject(GDI_TYPE_FONT), &font);
    EXPECT_EQ(dc.GetGDIObject(10002), nullptr);
    tagSIZE size{};
    dc.GetFontSize(size);
    EXPECT_EQ(size.cx, 20);
    EXPECT_EQ(size.cy, 22);

    CKESRAObject unknown;
    unknown.m_dwType = 12345;
    EXPECT_EQ(dc.SetGDIObject(&unknown), nullptr);
    EXPECT_EQ(dc.GetLastError(), 0u);
    EXPECT_EQ(dc.GetGDIObject(GDI_TYPE_PEN), &pen);
    EXPECT_EQ(dc.SetGDIObject(nullptr), nullptr);
    EXPECT_EQ(dc.GetLastError(), 113u);

    dc.SetToDefaultPen();
    dc.SetToDefaultFont();
    EXPECT_EQ(dc.GetGDIObject(GDI_TYPE_PEN), &CCEDraw::m_PenDefault);
    EXPECT_EQ(dc.GetGDIObject(GDI_TYPE_FONT), &CCEDraw::m_FontDefault);
    dc.m_pFont = nullptr;
    size = tagSIZE{7, 7};
    dc.GetFontSize(size);  // no font: 0 x 0, whatever the caller's record held
    EXPECT_EQ(size.cx, 0);
    EXPECT_EQ(size.cy, 0);

    EXPECT_EQ(dc.SetTextColor(0x1111), 0);
    EXPECT_EQ(dc.SetTextColor(0x2222), 0x1111);
    EXPECT_EQ(dc.SetTextOutColor(0x3333), 0);

    CCEDraw copy;
    copy = dc;
    EXPECT_EQ(copy.m_wTextColor, 0x2222);
    EXPECT_EQ(copy.m_pFont, nullptr);
    EXPECT_EQ(copy.m_nReserved[3], 200);
}
