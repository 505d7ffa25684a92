/* kesra.h - the whole interface of libkesra: the platform types and calls,
 * the host API, and the exported classes of every family. */
#ifndef KESRA_KESRA_H
#define KESRA_KESRA_H

#include "wintypes.h"
#include "winapi.h"
#include "host.h"
#include "cegraphics.h"
#include "ceobject.h"
#include "cefont.h"
#include "cedraw.h"
#include "cebitmap.h"
#include "ql.h"

#endif
