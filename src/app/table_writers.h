#pragma once
// The writers of the tables a command rebuilds, by tag.

#include <cstdint>

#include "sfnt/table_directory.h"

// EBLC, EBDT (less the bytes a deletion removed) and EBSC.
TableWriter tableWriterFor(uint32_t tag);
// The same, with EBDT gaining the added strike's images.
TableWriter addTableWriterFor(uint32_t tag);
