/* Pens, fonts and the drawing-object slot. */
#include "test_helpers.h"

TEST(PenAndFont, ConstructorsAndCreateKeepTheirFields) {
    CCEPen plain;
    EXPECT_EQ(plain.m_dwType, DWORD{GDI_TYPE_PEN});
    EXPECT_EQ(plain.m_dwStyle, 0u);
    EXPECT_EQ(plain.m_dwWidth, 1u);
    CCEPen red(2, 5, 0xF800), copy;
    copy = red;
    EXPECT_EQ(copy.m_dwStyle, 2u);
    EXPECT_EQ(copy.m_dwWidth, 5u);
    EXPECT_EQ(copy.m_wColor, 0xF800);

    CCEFont bold(10, 14, 7, 700);
    EXPECT_EQ(bold.m_dwType, DWORD{GDI_TYPE_FONT});
    EXPECT_EQ(bold.m_nWeight, 700);
    EXPECT_EQ(bold.m_nP9, 7);
    bold.m_nP3 = 99;
    EXPECT_EQ(bold.CreateFont(20, 24, 2), 1);
    EXPECT_EQ(bold.m_nWeight, 700);  // CreateFont keeps the weight
    EXPECT_EQ(bold.m_nWidth, 20);
    EXPECT_EQ(bold.m_nHeight, 24);
    EXPECT_EQ(bold.m_nP3, 0);        // and resets the parameters
    EXPECT_EQ(bold.m_nP9, 2);
    const LONG expected[] = {2, 16, 0, -1, 1, -1, -1, 0};
    const LONG actual[] = {bold.m_nP1, bold.m_nP2, bold.m_nP3, bold.m_nP4,
                           bold.m_nP5, bold.m_nP6, bold.m_nP7, bold.m_nP8};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(actual[i], expected[i]) << "p" << i + 1;
    CCEFont plain_font;
    EXPECT_EQ(plain_font.m_nWidth, 12);
    EXPECT_EQ(plain_font.m_nP9, 0);
}

TEST(DrawingObjectSlot, SelectReturnsWhatItReplaces) {
    CCEDraw dc;
    EXPECT_EQ(CCEDraw::m_bInited, 1);
    EXPECT_EQ(CCEDraw::m_PenDefault.m_dwStyle, 1u);
    EXPECT_EQ(CCEDraw::m_PenDefault.m_dwWidth, 1u);
    EXPECT_EQ(CCEDraw::m_PenDefault.m_wColor, 0);
    EXPECT_EQ(CCEDraw::m_FontDefault.m_nWidth, 16);
    EXPECT_EQ(CCEDraw::m_FontDefault.m_nP9, 2);
    EXPECT_EQ(dc.m_wTextColor, 0);
    EXPECT_EQ(dc.m_wTextOutColor, 0);

    CCEPen pen(0, 3, 0x07E0);
    CCEFont font(20, 22, 0, 400);
    EXPECT_EQ(dc.SetGDIObject(&pen), &CCEDraw::m_PenDefault);
    EXPECT_EQ(dc.SetGDIObject(&font), &CCEDraw::m_FontDefault);
    EXPECT_EQ(dc.GetGDIObject(GDI_TYPE_PEN), &pen);
    EXPECT_EQ(dc.GetGDIObject(GDI_TYPE_FONT), &font);
    EXPECT_EQ(dc.GetGDIObject(10002), nullptr);
    EXPECT_EQ(dc.GetFontSize().cx, 20);
    EXPECT_EQ(dc.GetFontSize().cy, 22);

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
    EXPECT_EQ(dc.GetFontSize().cx, 0);

    EXPECT_EQ(dc.SetTextColor(0x1111), 0);
    EXPECT_EQ(dc.SetTextColor(0x2222), 0x1111);
    EXPECT_EQ(dc.SetTextOutColor(0x3333), 0);

    CCEDraw copy;
    copy = dc;
    EXPECT_EQ(copy.m_wTextColor, 0x2222);
    EXPECT_EQ(copy.m_pFont, nullptr);
    EXPECT_EQ(copy.m_nReserved[3], 200);
}
