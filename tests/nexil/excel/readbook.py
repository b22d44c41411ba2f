#!/usr/bin/python3
"""Dumps a workbook as JSON with an independent reader: xlrd for .xls,
openpyxl for .xlsx. Usage: readbook.py FILE [--values-only] [--rows A:B,C:D]
--rows lists only the cells of those rows (inclusive); 'count' always counts
every cell of a sheet."""
import json
import struct
import sys


ROWS = None


def wanted(r):
    return ROWS is None or any(a <= r <= b for a, b in ROWS)


def xls(path, values_only):
    import xlrd
    from xlrd import compdoc
    book = xlrd.open_workbook(path, formatting_info=not values_only)
    margins = []
    if not values_only:
        with open(path, 'rb') as f:
            data = f.read()
        stream = compdoc.CompDoc(data).get_named_stream('Workbook')
        pos, current = 0, None
        while pos + 4 <= len(stream):
            rid, size = struct.unpack_from('<HH', stream, pos)
            body = stream[pos + 4:pos + 4 + size]
            if rid == 0x0809 and struct.unpack_from('<H', body, 2)[0] == 0x10:
                current = {}
                margins.append(current)
            elif 0x26 <= rid <= 0x29 and current is not None:
                current['lrtb'[rid - 0x26]] = struct.unpack('<d', body)[0]
            pos += 4 + size
    sheets = []
    for i, sh in enumerate(book.sheets()):
        cells = []
        count = 0
        for r in range(sh.nrows):
            for c in range(sh.ncols):
                cell = sh.cell(r, c)
                if cell.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                    continue
                count += 1
                if not wanted(r):
                    continue
                entry = {'r': r, 'c': c, 'v': cell.value}
                if not values_only:
                    xf = book.xf_list[cell.xf_index]
                    entry['fmt'] = book.format_map[xf.format_key].format_str
                    entry['bold'] = book.font_list[xf.font_index].weight >= 700
                    entry['fill'] = xf.background.fill_pattern == 1
                    rgb = book.colour_map.get(book.font_list[xf.font_index].colour_index)
                    entry['color'] = '%02X%02X%02X' % rgb if rgb else ''
                cells.append(entry)
        out = {'name': sh.name, 'cells': cells, 'count': count}
        if not values_only:
            out['merged'] = [[r1, c1, r2 - 1, c2 - 1] for r1, r2, c1, c2 in sh.merged_cells]
            out['widths'] = {str(c): info.width / 256.0 for c, info in sh.colinfo_map.items()}
            m = margins[i] if i < len(margins) else {}
            out['margins'] = [m.get('l'), m.get('r'), m.get('t'), m.get('b')]
            out['images'] = []
        sheets.append(out)
    return sheets


def xlsx(path, values_only):
    import openpyxl
    from openpyxl.utils import get_column_letter
    if values_only:
        book = openpyxl.load_workbook(path, read_only=True)
        sheets = []
        for sh in book.worksheets:
            cells = [{'r': r, 'c': c, 'v': v}
                     for r, row in enumerate(sh.iter_rows(values_only=True))
                     for c, v in enumerate(row) if v is not None and v != '']
            sheets.append({'name': sh.title, 'count': len(cells),
                           'cells': [x for x in cells if wanted(x['r'])]})
        return sheets
    book = openpyxl.load_workbook(path)
    sheets = []
    for sh in book.worksheets:
        cells = []
        count = 0
        for row in sh.iter_rows():
            for cell in row:
                if cell.value is None or cell.value == '':
                    continue
                count += 1
                if not wanted(cell.row - 1):
                    continue
                entry = {'r': cell.row - 1, 'c': cell.column - 1, 'v': cell.value}
                if not values_only:
                    entry['fmt'] = cell.number_format
                    entry['bold'] = bool(cell.font.b)
                    entry['fill'] = cell.fill.fill_type == 'solid'
                    color = cell.font.color.rgb if cell.font.color is not None else None
                    entry['color'] = color[-6:] if isinstance(color, str) else ''
                cells.append(entry)
        out = {'name': sh.title, 'cells': cells, 'count': count}
        if not values_only:
            out['merged'] = [[m.min_row - 1, m.min_col - 1, m.max_row - 1, m.max_col - 1]
                             for m in sh.merged_cells.ranges]
            widths = {}
            for key, dim in sh.column_dimensions.items():
                if dim.customWidth:
                    for c in range(dim.min, dim.max + 1):
                        widths[str(c - 1)] = dim.width
            out['widths'] = widths
            pm = sh.page_margins
            out['margins'] = [pm.left, pm.right, pm.top, pm.bottom]
            out['images'] = [[img.anchor._from.row, img.anchor._from.col] for img in sh._images]
            ps = sh.page_setup
            fit = sh.sheet_properties.pageSetUpPr
            out['page'] = {
                'landscape': ps.orientation == 'landscape',
                'paper': int(ps.paperSize or 0),
                'scale': int(ps.scale or 100),
                'fit': bool(fit is not None and fit.fitToPage),
                'fitWidth': int(1 if ps.fitToWidth is None else ps.fitToWidth),
                'fitHeight': int(1 if ps.fitToHeight is None else ps.fitToHeight),
                'area': sh.print_area[0] if isinstance(sh.print_area, list) else (sh.print_area or ''),
                'titleRows': sh.print_title_rows or '',
                'rowBreaks': [b.id for b in sh.row_breaks.brk],
            }
        sheets.append(out)
    return sheets


def main():
    global ROWS
    path = sys.argv[1]
    values_only = '--values-only' in sys.argv
    if '--rows' in sys.argv:
        ranges = sys.argv[sys.argv.index('--rows') + 1]
        ROWS = [tuple(int(x) for x in part.split(':')) for part in ranges.split(',')]
    sheets = xls(path, values_only) if path.lower().endswith('.xls') else xlsx(path, values_only)
    json.dump({'sheets': sheets}, sys.stdout)


if __name__ == '__main__':
    main()
