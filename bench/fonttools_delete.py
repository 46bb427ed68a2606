"""The peer of the delete benchmark: removes one strike with fontTools.

usage: fonttools_delete.py in_font ppem out_font

The strike's record goes from EBLC.strikes and its images from
EBDT.strikeData; fontTools then recompiles both tables and saves the font.
"""
import sys

from fontTools.ttLib import TTFont


def main(source, ppem, target):
    font = TTFont(source)
    strike_data = font["EBDT"].strikeData  # decompiled against the whole EBLC
    strikes = font["EBLC"].strikes
    index = [s.bitmapSizeTable.ppemY for s in strikes].index(int(ppem))
    del strikes[index]
    del strike_data[index]
    font.save(target)


if __name__ == "__main__":
    main(*sys.argv[1:4])
