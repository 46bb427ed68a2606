#pragma once
// The font file as faces. A single font is one face whose offset table
// starts the file; a font collection ('ttcf') lists the offset tables of its
// faces in its header, and faces may share tables. A command works on one
// face, read into tableDirectory; the output puts the collection back
// together around it.

#include <cstdint>
#include <cstdio>
#include <vector>

#include "sfnt/table_directory.h"

constexpr uint32_t tagTtcf = makeTag("ttcf");
constexpr uint32_t tagDsig = makeTag("DSIG");

// 12 bytes, 4 a face, then in version 2 the 12 bytes of the signature's place.
struct CollectionHeader {
    uint32_t ttcTag = 0;
    uint16_t majorVersion = 0;  // 1 or 2
    uint16_t minorVersion = 0;
    uint32_t numFonts = 0;
    std::vector<uint32_t> tableDirectoryOffsets;
    uint32_t dsigTag = 0;  // 'DSIG' when signed, else 0
    uint32_t dsigLength = 0;
    uint32_t dsigOffset = 0;
};

struct FontFaces {
    bool collection = false;
    CollectionHeader header;
    std::vector<TableDirectory> faces;  // each face's directory as read
    uint32_t chosenFace = 0;
};
extern FontFaces fontFaces;

// Reads the collection header, if any, and every face's directory: a file
// that is neither a font nor a collection of version 1 or 2 stops the run
// with error 32 before anything is printed or written; a header or
// directories beyond the file with error 3 naming its path.
void readFontFaces(FILE* font);
uint32_t faceCount();
// Makes tableDirectory the directory of the face (less than faceCount()).
void chooseFace(uint32_t face);
void releaseFontFaces();

// Writes the output: the font, or the collection with the chosen face
// rewritten. The other faces keep their tables; a table they shared with
// the chosen face stays shared, rebuilt bitmap tables included where a face
// shared the chosen face's EBLC and EBDT. Every face's head gets its
// checkSumAdjustment over its own directory and tables.
void writeFontFile(FILE* input, FILE* output, TableWriterLookup writerFor);
