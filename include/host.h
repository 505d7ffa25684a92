/* host.h - what a program or test on Linux uses to stand in for the device:
 * windows on the active display back end (KESRA_DISPLAY = headless, sdl or
 * fbdev[:/dev/fbN]), the pointer, the executable's path and the handlers
 * that receive message boxes, sounds, presented frames and input. */
#ifndef KESRA_HOST_H
#define KESRA_HOST_H

#include <stddef.h>
#include <stdint.h>

#include "wintypes.h"

KESRA_API_BEGIN

#ifdef __cplusplus
extern "C" {
#endif

HWND HostCreateWindow(int width, int height);
void HostDestroyWindow(HWND window);
const uint16_t* HostWindowPixels(HWND window);
void HostSetForegroundWindow(HWND window);
void HostSetCursorPos(int x, int y);
void HostSetModuleFileName(const WCHAR* path);
void HostSetMessageHandler(void (*handler)(const WCHAR* text));
void HostSetSoundHandler(void (*handler)(const uint8_t* wave, size_t bytes));
unsigned HostPresentCount(HWND window);
/* Called for every frame presented to a window, on the thread that presents
 * it (the overlay thread too), with the window's pixels as presented; it must
 * not present, draw or destroy a window itself. */
void HostSetPresentHandler(void (*handler)(HWND window, const uint16_t* pixels, int width, int height));
/* Handles the display's pending events; call it on the thread that created
 * the windows. 0 once a window was closed (SDL). */
int HostPumpEvents(void);

/* Pointer and keys of the SDL back end, as the system's window messages,
 * delivered by HostPumpEvents on its thread: WM_MOUSEMOVE, WM_xBUTTONDOWN and
 * WM_xBUTTONUP with the MK_ buttons held in wparam and the point in window
 * pixels in lparam (x in the low 16 bits, y in the next 16, signed);
 * WM_MOUSEWHEEL with the turn in wparam's high 16 bits (WHEEL_DELTA a
 * notch, positive away from the user); WM_KEYDOWN and WM_KEYUP with a VK_
 * code (letters and digits as their upper-case ASCII) in wparam and lparam
 * bit 30 set on a repeat or release, bit 31 on a release; WM_CLOSE when the
 * window is closed. The pointer's moves also set what GetCursorPos returns. */
void HostSetInputHandler(void (*handler)(HWND window, UINT message, WPARAM wparam, LPARAM lparam));

#ifndef WM_MOUSEMOVE
#define WM_CLOSE 0x0010
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_MBUTTONDOWN 0x0207
#define WM_MBUTTONUP 0x0208
#define WM_MOUSEWHEEL 0x020A
#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002
#define MK_SHIFT 0x0004
#define MK_CONTROL 0x0008
#define MK_MBUTTON 0x0010
#define WHEEL_DELTA 120
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_INSERT 0x2D
#define VK_DELETE 0x2E
#define VK_ADD 0x6B
#define VK_SUBTRACT 0x6D
#define VK_F1 0x70
#define VK_OEM_PLUS 0xBB
#define VK_OEM_MINUS 0xBD
#endif

#ifdef __cplusplus
}
#endif

KESRA_API_END

#endif
