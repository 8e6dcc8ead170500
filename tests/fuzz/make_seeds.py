#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target into corpus/<target>/ (run once; the files are committed).

The poll scripts use the format of FuzzSupport.h: 0x00 a silent poll, 0x01..0x7E that many bytes in
one poll, 0x7F the adapter pulled, 0x80.. with the next byte a 15-bit length.
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
SILENT, PULLED = object(), object()


def polls(*items):
    out = bytearray()
    for item in items:
        if item is SILENT:
            out.append(0)
        elif item is PULLED:
            out.append(0x7F)
        else:
            n = len(item)
            if 0 < n < 0x7F:
                out.append(n)
            else:
                out += bytes([0x80 | (n >> 8), n & 0xFF])
            out += item
    return bytes(out)


def pieces(data, size):
    return [data[i:i + size] for i in range(0, len(data), size)]


def write(target, name, data):
    folder = os.path.join(HERE, 'corpus', target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), 'wb') as f:
        f.write(data)


def hex_line(data):
    return ''.join('%02X ' % b for b in data).encode() + b'\r\n'


CONFIG = bytes((i * 37 + i // 64 * 11 + 5) & 0xFF for i in range(2368)) + b'\x08\x02'
CF = b''.join(hex_line(CONFIG[i:i + 64]) for i in range(0, 2368, 64)) + hex_line(CONFIG[2368:])

# Hex conversions.
write('converters', 'empty', b'')
write('converters', 'text', b'abc')
write('converters', 'all-bytes', bytes(range(256)))
write('converters', 'hex', b'41 42 43 ')
write('converters', 'compact-lower', b'0a1bFf')
write('converters', 'blank-inside-pair', b'4 1')
write('converters', 'lone-digit', b' 41 4')
write('converters', 'not-hex', b'G4 4G zz')
write('converters', 'cyrillic-utf8', 'А Я 41'.encode())

# ".cf" files.
write('configfiles', 'canonical.cf', CF)
write('configfiles', 'lower.cf', CF.lower())
write('configfiles', 'no-blanks.cf', CF.replace(b' ', b''))
write('configfiles', 'lf.cf', CF.replace(b'\r\n', b'\n'))
write('configfiles', 'no-model-line.cf', CF[:CF.rindex(b'\r\n', 0, len(CF) - 2) + 2])
write('configfiles', 'short-line.cf', CF.replace(hex_line(CONFIG[64:128]), hex_line(CONFIG[64:127]), 1))
write('configfiles', 'extra-line.cf', CF + b'00 \r\n')
write('configfiles', 'empty.cf', b'')

# TX.cfg.
def tx(lines, encoding='cp1251', end='\r\n'):
    return ''.join(line + end for line in lines).encode(encoding)

DEFAULT = (['Доступный номер порта:%d' % p for p in range(1, 9)]
           + ['Доступная скорость порта:%s' % s for s in ('9600', '19200', '115200')]
           + ['Акт индекс номера порта:1', 'Акт индекс скорости:1', 'Акт индекс контр передачи:1']
           + ['RPF_19.Check%d:%d' % (c, v) for c, v in zip(range(1, 6), (1, 1, 0, 0, 1))])
write('programsettings', 'default', tx(DEFAULT))
write('programsettings', 'utf8', tx(DEFAULT, 'utf-8', '\n'))
write('programsettings', 'utf8-bom', b'\xef\xbb\xbf' + tx(DEFAULT, 'utf-8'))
write('programsettings', 'blanks', tx(['  Доступный номер порта: 3 ', 'Доступная скорость порта :19200',
                                      ' Акт индекс скорости:  1  ', 'без двоеточия', '', 'RPF_19.Check3:1']))
write('programsettings', 'index-before-list', tx(['Акт индекс скорости:2', 'Доступная скорость порта:9600',
                                                 'Доступная скорость порта:19200']))
write('programsettings', 'out-of-range', tx(['Доступная скорость порта:9600', 'Акт индекс скорости:7',
                                            'Акт индекс контр передачи:9', 'RPF_19.Check5:3',
                                            'Акт индекс номера порта:abc']))
write('programsettings', 'empty', b'')
write('programsettings', 'cr-only', tx(DEFAULT[:4], end='\r'))
# Found by fuzzing: blanks before a BOM, and BOMs after the first one.
write('programsettings', 'blank-before-bom', b' \xef\xbb\xbf' + tx(DEFAULT, 'utf-8'))
write('programsettings', 'more-boms', b'\xef\xbb\xbf' * 3 + tx(DEFAULT, 'utf-8'))

# Identification: the unit's reply as it arrives.
NAME = 'ЗОРГЕЛ-GSM8T    '.encode('cp1251')
REPLY = b'#4000=' + NAME + b'\r\n'
write('identification', 'one-piece', polls(REPLY))
write('identification', 'two-pieces', polls(REPLY[:10], SILENT, REPLY[10:]))
write('identification', 'bytewise', polls(*pieces(REPLY, 1)))
write('identification', 'short', polls(REPLY[:23]))
write('identification', 'long', polls(REPLY + b'x'))
write('identification', 'junk-first', polls(b'\x00\xff', REPLY[:22]))
write('identification', 'pulled', polls(REPLY[:12], PULLED))
write('identification', 'silence', polls(*[SILENT] * 7))

# The configuration read: the unit's stream.
write('configread', 'one-piece', polls(CONFIG))
write('configread', 'blocks', polls(*pieces(CONFIG, 64)))
write('configread', 'odd-pieces', polls(*pieces(CONFIG, 63)))
write('configread', 'bytes-with-pauses', polls(*[p for chunk in pieces(CONFIG, 100) for p in (chunk, SILENT)]))
write('configread', 'one-too-many', polls(CONFIG + b'\x00'))
write('configread', 'one-short', polls(CONFIG[:-1]))
write('configread', 'pulled', polls(CONFIG[:700], PULLED))
write('configread', 'late-tail', polls(CONFIG[:2368], *[SILENT] * 15, CONFIG[2368:]))

# The configuration write: the unit's answers.
write('configwrite', 'ok', polls(*[b'OK'] * 38))
write('configwrite', 'ok-crlf', polls(*[b'OK\r\n'] * 38))
write('configwrite', 'lower-case', polls(b'OK', b'ok'))
write('configwrite', 'stops', polls(*[b'OK'] * 10))
write('configwrite', 'split-ok', polls(b'O', b'K'))
write('configwrite', 'two-at-once', polls(b'OK', b'OKOK', *[b'OK'] * 36))
write('configwrite', 'pulled', polls(*[b'OK'] * 20, PULLED))

# The simulated unit: what the program sends.
write('simcore', 'identify', polls(b'#4000'))
write('simcore', 'read', polls(b'#6000', b'#6002', b'#6002', b'#5000'))
write('simcore', 'write-config', polls(b'#6001', *pieces(CONFIG[:2368], 64)))
write('simcore', 'write-abandoned', polls(b'#6001', CONFIG[:640], SILENT, SILENT, SILENT, b'#4000'))
write('simcore', 'noise', polls(b'##60', b'01#4', b'000x#600', b'2'))

# ".fw" files.
FIRMWARE = bytes((i * 131 + i // 64) & 0xFF for i in range(62720))
FW = b''.join(hex_line(FIRMWARE[i:i + 64]) for i in range(0, 62720, 64))
write('firmwarefile', 'canonical.fw', FW)
write('firmwarefile', 'compact-lower.fw', FW.lower().replace(b' ', b'').replace(b'\r\n', b'\n') + b'\n\n')
write('firmwarefile', 'bad-pair.fw', FW.replace(hex_line(FIRMWARE[640:704]), b'0O ' + hex_line(FIRMWARE[641:704]), 1))
write('firmwarefile', 'two-lines.fw', FW[:2 * 194])
write('firmwarefile', 'tabs.fw', hex_line(FIRMWARE[:64]).replace(b' ', b'\t'))
write('firmwarefile', 'empty.fw', b'')

# Monitoring replies, each followed by threshold texts ("|"-separated).
def words(*values):
    out = bytearray()
    for v in values:
        out += bytes([(v >> 8) & 0xFF, v & 0xFF])
    return bytes(out)

MEASUREMENT = words(*([447] * 13 + [877, 389, 310, 375] + [0] * 15))
MEASUREMENT = MEASUREMENT[:63] + b'\x00'
write('monitordecoder', 'measurement', MEASUREMENT + b'80|20|50|-1.5|abc||+.5|5.')
write('monitordecoder', 'reference-zero', MEASUREMENT[:32] + b'\x00\x00' + MEASUREMENT[34:])
write('monitordecoder', 'over-full-scale', words(1024) + MEASUREMENT[2:])
sensors = b'T2=19.0C;T5=-3.5C;T1=23.5C;T3=;T4=1;'
write('monitordecoder', 'sensors', sensors + b' ' * (63 - len(sensors)) + b'\x01')
write('monitordecoder', 'wrong-kind', MEASUREMENT[:63] + b'\x02')
write('monitordecoder', 'short', MEASUREMENT[:40])

# The firmware streams, after a byte that picks the stream: what the unit sends for "#5000" (READ), or
# its answers to "#5001" and the blocks after it (WRITE).
READ, WRITE = b'\x00', b'\x01'
write('firmwarestreams', 'read-one-piece', READ + polls(FIRMWARE))
write('firmwarestreams', 'read-chunks', READ + polls(*pieces(FIRMWARE, 4000)))
write('firmwarestreams', 'read-one-short', READ + polls(FIRMWARE[:-1]))
write('firmwarestreams', 'read-pulled', READ + polls(*pieces(FIRMWARE[:20000], 4000), PULLED))
write('firmwarestreams', 'write-ok', WRITE + polls(*[b'OK'] * 981))
write('firmwarestreams', 'write-ok-crlf-split', WRITE + polls(*[p for _ in range(981) for p in (b'O', b'K\r\n')]))
write('firmwarestreams', 'write-last-unacknowledged', WRITE + polls(*[b'OK'] * 980))
write('firmwarestreams', 'write-complaint-midway', WRITE + polls(*[b'OK'] * 100, b'ERR', *[b'OK'] * 881))
write('firmwarestreams', 'write-pulled', WRITE + polls(*[b'OK'] * 300, PULLED))

# UNITS.csv of a bench run, as spreadsheets save it.
BOM = b'\xef\xbb\xbf'
write('unitstable', 'semicolon-bom', BOM + 'IMEI;Вход 1;Syrena;T1 Верхняя (H)\r\n356938035643809;Ворота;да;30\r\n;;;\r\n'.encode())
write('unitstable', 'comma-quoted', 'IMEI,Вход 1,PARTNER1\n356938035643809,"Окно, ""А""",+79990000000\n356938035643817,,\n'.encode())
write('unitstable', 'refused-values', 'IMEI;Syrena;T1 Нижняя (L)\r\n356938035643809;может;-100\r\n3,56938E+14;1;\r\n'.encode())
write('unitstable', 'repeated', 'IMEI;Вход 1;Вход 1\r\n356938035643809;a;b\r\n356938035643809;c;d\r\n'.encode())
write('unitstable', 'quote-open', b'IMEI;\x22Bxo\r\n356938035643809;1\r\n')
write('unitstable', 'cp1251', 'IMEI;Вход 1\r\n356938035643809;Дверь\r\n'.encode('cp1251'))
