"""Data and generated files of the demo ERP: the office's listings, clients,
contracts and receipts, the shared stylesheet, house pictures (PNG) and
contracts (PDF). Standard library only; nothing is read from disk."""

import struct
import zlib

# ---- the office's records --------------------------------------------------

LISTINGS = [
    # id, name, district, rooms, area m², price (万元), colours (wall, roof, sky)
    (1, "紫荆花园 3栋 1202", "朝阳区", "三室两厅", 128, 685, ((0xf2, 0xe6, 0xd0), (0xb0, 0x3a, 0x2e), (0x8e, 0xc5, 0xef))),
    (2, "翠湖苑 8号楼 601", "海淀区", "两室一厅", 89, 512, ((0xe0, 0xe8, 0xf0), (0x3a, 0x5a, 0x8c), (0xa8, 0xd8, 0xf5))),
    (3, "金桂公寓 A座 1805", "西城区", "一室一厅", 56, 398, ((0xf5, 0xde, 0xb3), (0x6b, 0x4f, 0x3a), (0xf4, 0xc0, 0x90))),
    (4, "银杏里 12号院", "东城区", "四室两厅", 186, 1280, ((0xe8, 0xe3, 0xd8), (0x2f, 0x6b, 0x4f), (0x9f, 0xd3, 0xe8))),
    (5, "碧水湾 5栋 302", "丰台区", "三室一厅", 112, 455, ((0xfa, 0xf0, 0xe6), (0x8c, 0x3b, 0x6e), (0xc6, 0xe2, 0xf7))),
    (6, "枫林小区 2号楼 901", "石景山区", "两室两厅", 96, 380, ((0xf0, 0xea, 0xe0), (0xc2, 0x6a, 0x1f), (0xb8, 0xdc, 0xf0))),
]

CLIENTS = [
    # id, name, phone, wants, budget, agent
    (1, "王女士", "138-0000-1234", "三室 朝阳区", "700万以内", "李经理"),
    (2, "陈先生", "139-0000-5678", "两室 海淀区 近地铁", "550万以内", "赵顾问"),
    (3, "刘女士", "137-0000-2468", "一室 西城区 学区", "400万以内", "李经理"),
    (4, "张先生", "136-0000-1357", "别墅或大平层", "1500万以内", "孙顾问"),
]

CONTRACTS = [
    # id, number, listing id, client id, amount (万元), date, state
    (1, "HT-20240815-001", 1, 1, 680, "2024-08-15", "已签约"),
    (2, "HT-20240902-002", 2, 2, 505, "2024-09-02", "待付款"),
    (3, "HT-20240918-003", 4, 4, 1250, "2024-09-18", "审核中"),
]

RECEIPTS = [
    # id, number, contract id, payer, item, amount (元), date
    (1, "SJ-20240815-001", 1, "王女士", "购房定金", 200000, "2024-08-15"),
    (2, "SJ-20240820-002", 1, "王女士", "中介服务费", 68000, "2024-08-20"),
    (3, "SJ-20240902-003", 2, "陈先生", "购房定金", 100000, "2024-09-02"),
]


def find(rows, ident):
    return next((row for row in rows if row[0] == ident), None)


# ---- stylesheet ------------------------------------------------------------

STYLESHEET = """\
* { box-sizing: border-box; }
html, body { margin: 0; }
body { background: #f3f5f8; color: #2b3340; font: 14px/1.6 "Noto Sans CJK SC", "Microsoft YaHei", sans-serif; }
a { color: #1f6fc5; text-decoration: none; }
a:hover { text-decoration: underline; }
header.top { display: flex; align-items: center; gap: 18px; padding: 0 24px; height: 52px;
  background: linear-gradient(90deg, #17406d, #1f6fc5); color: #fff; box-shadow: 0 1px 4px rgba(0,0,0,.2); }
header.top .brand { font-size: 18px; font-weight: bold; letter-spacing: 1px; color: #fff; white-space: nowrap; }
header.top nav { display: flex; gap: 4px; flex: 1; flex-wrap: wrap; }
header.top nav a { color: #dce9f8; padding: 5px 10px; border-radius: 4px; white-space: nowrap; }
header.top nav a:hover, header.top nav a.on { background: rgba(255,255,255,.18); color: #fff; text-decoration: none; }
header.top .user { white-space: nowrap; color: #dce9f8; }
header.top .user a { color: #fff; margin-left: 8px; }
main { max-width: 1180px; margin: 0 auto; padding: 20px 24px 40px; }
h1 { font-size: 22px; margin: 4px 0 14px; }
h2 { font-size: 17px; margin: 22px 0 10px; }
p.lead { color: #5b6677; margin-top: -6px; }
.card { background: #fff; border: 1px solid #e1e6ee; border-radius: 8px; padding: 16px 18px; margin-bottom: 16px;
  box-shadow: 0 1px 2px rgba(20,40,80,.05); }
.grid { display: grid; grid-template-columns: repeat(auto-fill, minmax(250px, 1fr)); gap: 14px; }
.grid .card { margin: 0; }
.stats { display: grid; grid-template-columns: repeat(4, 1fr); gap: 14px; margin-bottom: 18px; }
.stat { background: #fff; border-radius: 8px; border: 1px solid #e1e6ee; padding: 14px 18px; }
.stat b { display: block; font-size: 26px; color: #1f6fc5; }
.stat span { color: #6b7686; }
.feature h3 { margin: 0 0 4px; font-size: 15px; }
.feature p { margin: 0 0 8px; color: #5b6677; font-size: 13px; }
.feature .links a { margin-right: 12px; }
table.list { width: 100%; border-collapse: collapse; background: #fff; }
table.list th, table.list td { text-align: left; padding: 8px 10px; border-bottom: 1px solid #e8ecf2; }
table.list th { background: #f0f4f9; color: #4a5568; font-weight: normal; }
table.list tr:hover td { background: #f8fbff; }
table.kv td:first-child { color: #6b7686; width: 180px; }
td code, p code { font-size: 12px; word-break: break-all; }
button, .btn { display: inline-block; font: inherit; padding: 6px 16px; margin: 2px 6px 2px 0; border-radius: 4px;
  border: 1px solid #1f6fc5; background: #1f6fc5; color: #fff; cursor: pointer; }
button.plain, .btn.plain { background: #fff; color: #1f6fc5; }
button.danger, .btn.danger { background: #c53b2f; border-color: #c53b2f; }
button:hover, .btn:hover { filter: brightness(1.08); text-decoration: none; }
input[type=text], input[type=password], textarea { font: inherit; padding: 6px 8px; border: 1px solid #c8d1dd;
  border-radius: 4px; width: 100%; }
label { display: block; margin: 10px 0 4px; color: #4a5568; }
.hint { background: #fff8e1; border: 1px solid #f3d98b; border-radius: 6px; padding: 8px 12px; color: #6d5312; }
.result { font-family: monospace; background: #f0f4f9; border-radius: 4px; padding: 2px 8px; }
.listings { display: grid; grid-template-columns: repeat(auto-fill, minmax(270px, 1fr)); gap: 16px; }
.listing { background: #fff; border: 1px solid #e1e6ee; border-radius: 8px; overflow: hidden; }
.listing img { display: block; width: 100%; height: auto; }
.listing .body { padding: 10px 14px 12px; }
.listing .price { color: #c53b2f; font-size: 18px; font-weight: bold; }
.tag { display: inline-block; font-size: 12px; padding: 0 8px; border-radius: 10px; background: #e7f0fb; color: #1f6fc5; }
.login-wrap { min-height: 100vh; display: flex; align-items: center; justify-content: center;
  background: linear-gradient(135deg, #17406d, #1f6fc5 60%, #5aa1e3); }
.login { width: 380px; background: #fff; border-radius: 10px; padding: 28px 32px; box-shadow: 0 10px 30px rgba(0,0,0,.25); }
.login h1 { text-align: center; margin-bottom: 4px; }
.login p.sub { text-align: center; color: #6b7686; margin-top: 0; }
.login button { width: 100%; margin-top: 18px; padding: 9px; }
.login .foot { margin-top: 14px; font-size: 12px; color: #8a94a3; text-align: center; }
.error { color: #c53b2f; }
.receipt { max-width: 640px; margin: 0 auto; background: #fff; border: 2px solid #c53b2f; padding: 24px 32px; }
.receipt h1 { text-align: center; color: #c53b2f; letter-spacing: 8px; }
.receipt .amount { font-size: 20px; font-weight: bold; }
@media print {
  header.top, .noprint { display: none !important; }
  body { background: #fff; }
  .receipt { border-color: #000; }
}
"""


# ---- PNG pictures ----------------------------------------------------------

def _png(width, height, rows):
    def chunk(kind, data):
        crc = zlib.crc32(kind + data) & 0xFFFFFFFF
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", crc)

    raw = b"".join(b"\x00" + bytes(row) for row in rows)  # filter byte 0 per row
    ihdr = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def make_png(width=16, height=16, rgb=(0x2a, 0x7a, 0xc8)):
    return _png(width, height, [bytes(rgb) * width] * height)


def house_png(wall, roof, sky, width=320, height=200):
    """A drawn house: sky, sun, lawn, walls, roof, door and windows."""
    def mix(a, b, t):
        return tuple(int(x + (y - x) * t) for x, y in zip(a, b))

    ground = int(height * 0.80)
    left, right, top = int(width * 0.26), int(width * 0.74), int(height * 0.46)
    apex_x, apex_y, eave = width // 2, int(height * 0.16), 14
    sun_x, sun_y, sun_r = int(width * 0.84), int(height * 0.18), int(height * 0.08)
    glass, frame, door = (0x9c, 0xc9, 0xe8), (0xff, 0xff, 0xff), (0x7a, 0x4a, 0x2a)
    windows = [(left + 18, top + 18, 36, 30), (right - 54, top + 18, 36, 30)]
    door_box = (apex_x - 16, ground - 52, 32, 52)
    rows = []
    for y in range(height):
        if y < ground:
            row = bytearray(bytes(mix(sky, (0xff, 0xff, 0xff), 0.6 * y / ground)) * width)
        else:
            row = bytearray(bytes(mix((0x6d, 0xb3, 0x4a), (0x4a, 0x8c, 0x32), (y - ground) / (height - ground))) * width)

        def span(x0, x1, colour):
            x0, x1 = max(0, x0), min(width, x1)
            if x1 > x0:
                row[x0 * 3:x1 * 3] = bytes(colour) * (x1 - x0)

        dy = y - sun_y
        if abs(dy) <= sun_r:
            half = int((sun_r * sun_r - dy * dy) ** 0.5)
            span(sun_x - half, sun_x + half + 1, (0xff, 0xd5, 0x4f))
        if top <= y < ground:
            span(left, right, wall)
            for wx, wy, ww, wh in windows:
                if wy <= y < wy + wh:
                    span(wx, wx + ww, frame)
                    if wy + 3 <= y < wy + wh - 3 and y != wy + wh // 2:
                        span(wx + 3, wx + ww // 2 - 1, glass)
                        span(wx + ww // 2 + 1, wx + ww - 3, glass)
            dx, dyy, dw, dh = door_box
            if dyy <= y < dyy + dh:
                span(dx, dx + dw, door)
                if dyy + 24 <= y < dyy + 28:
                    span(dx + dw - 9, dx + dw - 5, (0xf5, 0xc0, 0x3a))
        if apex_y <= y < top:
            t = (y - apex_y) / (top - apex_y)
            half = int(t * ((right - left) // 2 + eave))
            span(apex_x - half, apex_x + half, mix(roof, (0, 0, 0), 0.15 * (1 - t)))
        rows.append(row)
    return _png(width, height, rows)


# ---- PDF documents -----------------------------------------------------------

def _pdf_text(text):
    return "(" + text.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)") + ")"


def pdf_parts(lines, padding=0):
    """A one-page PDF 1.4 with the lines in Helvetica, as (head, padding size,
    tail): head + padding bytes of b"0" + tail is the whole file. The padding
    is the body of an extra stream no page refers to, so a file of any size
    stays valid."""
    ops = ["BT", "/F1 20 Tf", "72 760 Td", "%s Tj" % _pdf_text(lines[0]), "/F1 12 Tf"]
    for line in lines[1:]:
        ops += ["0 -22 Td", "%s Tj" % _pdf_text(line)]
    ops.append("ET")
    content = "\n".join(ops).encode("latin-1")
    objects = [
        b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] "
        b"/Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>",
        b"<< /Length %d >>\nstream\n%s\nendstream" % (len(content), content),
        b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
    ]
    head = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
    offsets = []
    for number, body in enumerate(objects, start=1):
        offsets.append(len(head))
        head += b"%d 0 obj\n%s\nendobj\n" % (number, body)
    tail = bytearray()
    if padding:
        offsets.append(len(head))
        head += b"%d 0 obj\n<< /Length %d >>\nstream\n" % (len(objects) + 1, padding)
        tail += b"\nendstream\nendobj\n"
    xref = len(head) + padding + len(tail)
    tail += b"xref\n0 %d\n0000000000 65535 f \n" % (len(offsets) + 1)
    for offset in offsets:
        tail += b"%010d 00000 n \n" % offset
    tail += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(offsets) + 1, xref)
    return bytes(head), padding, bytes(tail)


def contract_pdf(contract_id):
    contract = find(CONTRACTS, contract_id) or CONTRACTS[0]
    ident, number, listing_id, client_id, amount, date, state = contract
    lines = [
        "VELMAR REAL ESTATE - SALES CONTRACT",
        "Contract No. %s" % number,
        "VELMAR-CONTRACT-%s" % number.replace("-", ""),
        "Date: %s" % date,
        "Property: listing #%d, %d m2" % (listing_id, find(LISTINGS, listing_id)[4]),
        "Buyer: client #%d" % client_id,
        "Price: CNY %d0,000" % amount,
        "Signed in the demo office of Velmar ERP.",
    ]
    head, _, tail = pdf_parts(lines)
    return head + tail
