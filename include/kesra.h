/* kesra.h - the whole interface of libkesra: the platform types and calls,
 * the host API, and the exported classes of every family. */
#ifndef KESRA_KESRA_H
#define KESRA_KESRA_H

#include "ceani.h"
#include "cebitmap.h"
#include "cedraw.h"
#include "cefont.h"
#include "cegifplay.h"
#include "cegraphics.h"
#include "ceini.h"
#include "ceobject.h"
#include "cephoto.h"
#include "cepic.h"
#include "host.h"
#include "ql.h"
#include "winapi.h"
#include "wintypes.h"

#endif
