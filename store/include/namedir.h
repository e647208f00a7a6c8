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

#include "namedir/address.h"    // DIRDirectoryAddress, DIRNmDirectoryAddress, unique keys
#include "namedir/attrstream.h" // attribute streams and the attribute store
#include "namedir/codecs.h"     // encoders and decoders of every layout
#include "namedir/directory.h"  // DIRDirectory
#include "namedir/errors.h"     // store error codes and their texts
#include "namedir/freelist.h"   // attribute numbers: allocation, freeing, rebuild
#include "namedir/layout.h"     // stored layouts: categories, numbers, offsets
#include "namedir/records.h"    // desktop object records
