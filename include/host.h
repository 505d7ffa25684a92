/* host.h - what a program or test on Linux uses to stand in for the device:
 * windows on the active display back end (KESRA_DISPLAY = headless, sdl or
 * fbdev[:/dev/fbN]), the pointer, the executable's path and the handlers
 * that receive message boxes, sounds and presented frames. */
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
 * not present or draw itself. */
void HostSetPresentHandler(void (*handler)(HWND window, const uint16_t* pixels, int width, int height));
int HostPumpEvents(void);

#ifdef __cplusplus
}
#endif

KESRA_API_END

#endif
