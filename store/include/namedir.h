// libnamedir: the directory object store. Desktop objects live in raw
// Namewright attributes; this library maps them to records and back, and is
// the desktop's only road to the client API.
//
// Layers, bottom up: the client API wrapper (CQrdApi), addresses, records,
// attribute streams and the attribute free list.
#pragma once

#include "namedir/export.h"
#include "namedir/qrdapi_wrapper.h"
#include "namedir/qrdclient.h"
