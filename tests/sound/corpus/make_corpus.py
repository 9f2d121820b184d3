#!/usr/bin/env python3
# Writes the damaged kit and WAV files that kit_file_test.cpp feeds to the readers. Files whose
# names contain "readable" are damaged in ways the WAV reader accepts; every other file must be
# refused with one of the program's errors. Run from this folder; the output is checked in.
import struct

def u16(v): return struct.pack('<H', v)
def u32(v): return struct.pack('<I', v)
def chunk(cid, body): return cid + u32(len(body)) + body

PCM16 = u16(1) + u16(1) + u32(44100) + u32(88200) + u16(2) + u16(16)

def wav(*chunks): return b'RIFF' + u32(0) + b'WAVE' + b''.join(chunks)

def name(s): return bytes([len(s)]) + s

def kit(items, tail=b'\0\0\0'):
    body = b'TPF0' + name(b'TWaveCollectionComponent') + b'\0' + name(b'List') + b'\x0e' + b''.join(items) + tail
    return b'\xff' + u16(10) + b'DRUMKITWAVECOLLECTION\0' + u16(0x1030) + u32(len(body)) + body

def item(nm=b'Kick', looped=b'\x08', wave_bytes=b'', raw=None):
    out = b'\x01'
    if nm:
        out += name(b'Name') + b'\x06' + name(nm)
    out += name(b'Looped') + looped
    out += name(b'Wave.WAVE') + b'\x0a' + (raw if raw is not None else u32(len(wave_bytes)) + wave_bytes)
    return out + b'\0'

good_wave = wav(chunk(b'fmt ', PCM16), chunk(b'data', b'\x01\x02\x03\x04'))

files = {
    # WAV files.
    'empty_readable.wav': b'',
    'short_header.wav': b'RIFF\x10',
    'not_riff.wav': b'RIFX' + good_wave[4:],
    'not_wave.wav': good_wave[:8] + b'AVI ' + good_wave[12:],
    'data_beyond_end.wav': wav(chunk(b'fmt ', PCM16), b'data' + u32(0xFFFFFFF0) + b'\x01\x02'),
    'data_signed_negative.wav': wav(chunk(b'fmt ', PCM16), b'data' + u32(0x80000000) + b'\x01\x02'),
    'fmt_1000_bytes_truncated.wav': wav(b'fmt ' + u32(1000) + PCM16),
    'fmt_huge.wav': wav(b'fmt ' + u32(0xFFFFFFFF) + PCM16),
    'fmt_1000_bytes_readable.wav': wav(chunk(b'fmt ', PCM16 + bytes(984)), chunk(b'data', bytes(8))),
    'fmt_0_bytes_readable.wav': wav(chunk(b'fmt ', b''), chunk(b'data', b'\0\0')),
    'fmt_1_byte_readable.wav': wav(chunk(b'fmt ', b'\x01'), chunk(b'data', b'\0\0')),
    'blockalign_0_readable.wav': wav(chunk(b'fmt ', PCM16[:12] + u16(0) + PCM16[14:]), chunk(b'data', b'\0\0')),
    'odd_size_readable.wav': wav(chunk(b'fmt ', PCM16), chunk(b'data', b'\x01\x02\x03')),
    'backwards_chunk_readable.wav': wav(chunk(b'fmt ', PCM16), b'junk' + u32(0xFFFFFFF8), chunk(b'data', b'\0\0')),
    'truncated_samples.wav': good_wave[:46],
    # Kit files.
    'empty.dxg': b'',
    'two_bytes.dxg': b'\xff\x0a',
    'bad_marker.dxg': b'\xfe' + kit([item()])[1:],
    'bad_type.dxg': b'\xff' + u16(11) + kit([item()])[3:],
    'no_name_end.dxg': b'\xff' + u16(10) + b'A' * 90,
    'bad_signature.dxg': kit([item()]).replace(b'TPF0', b'TPF1'),
    'truncated_in_item.dxg': kit([item(), item(b'Snare')])[:100],
    'missing_ends.dxg': kit([item()], tail=b''),
    'wave_length_huge.dxg': kit([item(raw=u32(0xFFFFFFF0) + b'RIFF')]),
    'name_length_huge.dxg': kit([b'\x01' + name(b'Name') + b'\x0c' + u32(0xFFFFFFFF) + b'Kick']),
    'unknown_property.dxg': kit([b'\x01' + name(b'Volume') + b'\x02\x05\0']),
    'unknown_component_property.dxg': kit([]).replace(name(b'List') + b'\x0e', name(b'Lust') + b'\x0e'),
    'looped_not_boolean.dxg': kit([item(looped=b'\x06\x01x')]),
    'list_not_collection.dxg': kit([]).replace(name(b'List') + b'\x0e', name(b'List') + b'\x01'),
    'wave_not_riff.dxg': kit([item(wave_bytes=b'RIFX' + good_wave[4:])]),
    'wave_truncated_inside.dxg': kit([item(wave_bytes=good_wave[:30])]),
}

for file_name, data in files.items():
    with open(file_name, 'wb') as f:
        f.write(data)
