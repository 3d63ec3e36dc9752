# A standard MIDI file of four piano notes (C E G C, an eighth each at 120 quarters
# a minute: one second), written byte by byte.
import struct, sys
def vlq(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.insert(0, (n & 0x7F) | 0x80)
        n >>= 7
    return bytes(out)
ev = bytearray()
ev += vlq(0) + bytes([0xFF, 0x51, 3]) + (500000).to_bytes(3, 'big')   # 120 per minute
ev += vlq(0) + bytes([0xC0, 0])                                         # piano
for i, note in enumerate([72, 76, 79, 84]):
    ev += vlq(0) + bytes([0x90, note, 100])
    ev += vlq(48) + bytes([0x80, note, 0])                                # an eighth each
ev += vlq(0) + bytes([0xFF, 0x2F, 0])
data = b'MThd' + struct.pack('>IHHH', 6, 0, 1, 96) + b'MTrk' + struct.pack('>I', len(ev)) + ev
open(sys.argv[1], 'wb').write(data)
