#!/usr/bin/env python3
"""Draws the report's logo (a 234 x 60 GIF banner with "VELLOQUIN" in block letters) and writes
it as a C++ byte array: scripts/make_report_logo.py > desktop/resources/report_logo.cpp"""
import sys

WIDTH, HEIGHT = 234, 60
SCALE = 4

# 5 x 7 block letters.
FONT = {
    'V': ["X...X", "X...X", "X...X", "X...X", "X...X", ".X.X.", "..X.."],
    'E': ["XXXXX", "X....", "X....", "XXXX.", "X....", "X....", "XXXXX"],
    'L': ["X....", "X....", "X....", "X....", "X....", "X....", "XXXXX"],
    'O': [".XXX.", "X...X", "X...X", "X...X", "X...X", "X...X", ".XXX."],
    'Q': [".XXX.", "X...X", "X...X", "X...X", "X.X.X", "X..X.", ".XX.X"],
    'U': ["X...X", "X...X", "X...X", "X...X", "X...X", "X...X", ".XXX."],
    'I': ["XXXXX", "..X..", "..X..", "..X..", "..X..", "..X..", "XXXXX"],
    'N': ["X...X", "XX..X", "X.X.X", "X.X.X", "X..XX", "X...X", "X...X"],
}

# Eight blues from the top of the banner to its bottom, then white, a shadow and a frame.
BLUES = [(0x33 - i * 2, 0x66 - i * 4, 0xCC - i * 10) for i in range(8)]
WHITE, SHADOW, FRAME = 8, 9, 10
PALETTE = BLUES + [(0xFF, 0xFF, 0xFF), (0x1A, 0x33, 0x5C), (0x71, 0xC2, 0xFF)]
PALETTE += [(0, 0, 0)] * (16 - len(PALETTE))


def draw():
    pixels = [[min(7, y * 8 // HEIGHT) for _ in range(WIDTH)]
              for y in range(HEIGHT)]
    for x in range(WIDTH):
        pixels[0][x] = pixels[HEIGHT - 1][x] = FRAME
    for y in range(HEIGHT):
        pixels[y][0] = pixels[y][WIDTH - 1] = FRAME
    word = "VELLOQUIN"
    advance = 6 * SCALE
    left = (WIDTH - (len(word) * advance - SCALE)) // 2
    top = (HEIGHT - 7 * SCALE) // 2
    for layer, offset in ((SHADOW, 2), (WHITE, 0)):
        for i, letter in enumerate(word):
            for row, bits in enumerate(FONT[letter]):
                for col, bit in enumerate(bits):
                    if bit != 'X':
                        continue
                    for dy in range(SCALE):
                        for dx in range(SCALE):
                            x = left + i * advance + col * SCALE + dx + offset
                            y = top + row * SCALE + dy + offset
                            pixels[y][x] = layer
    return [index for row in pixels for index in row]


def lzw(indices, min_code_size):
    """GIF's variable-length LZW, packed least significant bit first."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    out, bit_buffer, bit_count = bytearray(), 0, 0

    def emit(code, size):
        nonlocal bit_buffer, bit_count
        bit_buffer |= code << bit_count
        bit_count += size
        while bit_count >= 8:
            out.append(bit_buffer & 0xFF)
            bit_buffer >>= 8
            bit_count -= 8

    def reset():
        return {(i,): i for i in range(clear)}, end + 1, min_code_size + 1

    table, next_code, code_size = reset()
    emit(clear, code_size)
    current = (indices[0],)
    for index in indices[1:]:
        candidate = current + (index,)
        if candidate in table:
            current = candidate
            continue
        emit(table[current], code_size)
        if next_code == 4096:
            emit(clear, code_size)
            table, next_code, code_size = reset()
        else:
            table[candidate] = next_code
            if next_code == (1 << code_size) and code_size < 12:
                code_size += 1
            next_code += 1
        current = (index,)
    emit(table[current], code_size)
    emit(end, code_size)
    if bit_count:
        out.append(bit_buffer & 0xFF)
    return bytes(out)


def gif():
    data = bytearray(b"GIF89a")
    data += WIDTH.to_bytes(2, "little") + HEIGHT.to_bytes(2, "little")
    data += bytes([0xF3, 0, 0])  # global colour table of 16 entries
    for r, g, b in PALETTE:
        data += bytes([r, g, b])
    data += b"," + bytes(4) + WIDTH.to_bytes(2, "little") + HEIGHT.to_bytes(2, "little") + b"\0"
    data.append(4)  # minimum code size
    packed = lzw(draw(), 4)
    for i in range(0, len(packed), 255):
        chunk = packed[i:i + 255]
        data.append(len(chunk))
        data += chunk
    data += b"\0;"
    return bytes(data)


def main():
    image = gif()
    if len(sys.argv) > 1:
        open(sys.argv[1], "wb").write(image)
        return
    print("// The report's logo \"vqlogo.gif\" (234 x 60), made by scripts/make_report_logo.py.")
    print('#include "desktop/resources/report_logo.h"\n')
    print("namespace {\n\nconstexpr unsigned char kLogo[] = {")
    for i in range(0, len(image), 16):
        print("    " + " ".join("0x%02x," % b for b in image[i:i + 16]))
    print("};\n\n} // namespace\n")
    print("namespace vq {\n")
    print("std::span<const unsigned char> ReportLogoGif() {\n    return kLogo;\n}\n")
    print("} // namespace vq")


main()
