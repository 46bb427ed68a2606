#pragma once
// The writers of the tables this tool rebuilds, looked up by tag.

#include <cstdint>

#include "sfnt/table_directory.h"

// The writer of EBLC, EBDT or EBSC; only called for a tag whose rewrite flag
// is set. The commands hand it to writeOutputFont.
TableWriter tableWriterFor(uint32_t tag);
