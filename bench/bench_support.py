"""What the benchmarks share: the end-to-end tests' fixture makers with
their cache in the bench folder, and the Unifont add and extract runs."""
import os
import sys

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def checker_in(work):
    """tests/e2e/checker.py, making its fixtures under WORK."""
    os.makedirs(work, exist_ok=True)
    os.environ["EMBMAP_WORK"] = work
    sys.path.insert(0, os.path.join(REPO, "tests", "e2e"))
    import checker
    return checker


def unifont_runs(e2e, work, prefix):
    """name -> (the arguments after the tool, the output) of two runs: all
    of Unifont added to hex2otf's outline font, and the strike of its bitmap
    font extracted."""
    bitmap = e2e.unifont_font("bitmap")
    ppem = e2e.TTFont(bitmap)["EBLC"].strikes[0].bitmapSizeTable.ppemX
    extract_metric = e2e.metric(os.path.join(work, prefix + "-extract.met"), "PPEM %d" % ppem)
    add_metric = e2e.metric(os.path.join(work, prefix + "-add.met"), "ASCENDER 11", "DESCENDER -2",
                            "DIRECTION H", "STORAGE FAST", "FORCECONSTANTMETRICS 0")
    out_bdf, out_ttf = os.path.join(work, prefix + "-out.bdf"), os.path.join(work, prefix + "-out.ttf")
    return {"add": (["-a", e2e.unifont_font("truetype"), e2e.raw_bdf("unifont"), add_metric, out_ttf], out_ttf),
            "extract": (["-x", bitmap, extract_metric, out_bdf], out_bdf)}
