#!/usr/bin/python3
"""Prints a workbook as JSON: per sheet its name, header and footer, column
widths and every cell written, with its text, fill, font and alignment.
.xlsx files are read with openpyxl, .xls files with xlrd.

Usage: read_workbook.py FILE
"""
import json
import sys


def column_letter(index):
    return chr(ord("A") + index)


def read_xlsx(path):
    import openpyxl
    book = openpyxl.load_workbook(path)
    sheets = []
    for ws in book.worksheets:
        cells = {}
        for row in ws.iter_rows():
            for cell in row:
                fill = cell.fill.fgColor.rgb if cell.fill.fill_type == "solid" else None
                if cell.value is None and fill is None:
                    continue
                cells[cell.coordinate] = {
                    "value": cell.value, "type": cell.data_type,
                    "fill": fill[-6:].upper() if isinstance(fill, str) else None,
                    "bold": bool(cell.font.b), "size": cell.font.sz,
                    "align": cell.alignment.horizontal, "indent": cell.alignment.indent}
        sheets.append({
            "name": ws.title, "cells": cells,
            "header": {"left": ws.oddHeader.left.text, "center": ws.oddHeader.center.text,
                       "right": ws.oddHeader.right.text},
            "footer": {"left": ws.oddFooter.left.text, "center": ws.oddFooter.center.text,
                       "right": ws.oddFooter.right.text},
            "widths": {letter: dim.width for letter, dim in ws.column_dimensions.items()}})
    return sheets


def read_xls(path):
    import xlrd
    book = xlrd.open_workbook(path, formatting_info=True)
    sheets = []
    for ws in book.sheets():
        cells = {}
        for r in range(ws.nrows):
            for c in range(ws.ncols):
                cell = ws.cell(r, c)
                xf = book.xf_list[cell.xf_index]
                font = book.font_list[xf.font_index]
                rgb = book.colour_map.get(xf.background.pattern_colour_index)
                fill = "%02X%02X%02X" % rgb if xf.background.fill_pattern == 1 and rgb else None
                empty = cell.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK)
                if empty and fill is None:
                    continue
                cells[column_letter(c) + str(r + 1)] = {
                    "value": None if empty else cell.value,
                    "type": "s" if cell.ctype == xlrd.XL_CELL_TEXT else str(cell.ctype),
                    "fill": fill, "bold": bool(font.bold), "size": font.height / 20}
        sheets.append({"name": ws.name, "cells": cells})
    return sheets


def main():
    path = sys.argv[1]
    sheets = read_xls(path) if path.lower().endswith(".xls") else read_xlsx(path)
    json.dump({"sheets": sheets}, sys.stdout)


if __name__ == "__main__":
    main()
