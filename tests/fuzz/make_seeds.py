#!/usr/bin/env python3
# Writes the seed corpora of the reader harnesses into corpus/<harness>/: small well-formed files
# of each format and a few damaged ones. Inputs that a fuzzing run found are kept beside them
# under names starting with "found_". Run from this folder; the output is checked in.
import os
import shutil
import struct

def u16(v): return struct.pack('<H', v)
def u32(v): return struct.pack('<I', v)
def chunk(cid, body): return cid + u32(len(body)) + body
def riff(*chunks):
    body = b'WAVE' + b''.join(chunks)
    return b'RIFF' + u32(len(body)) + body
def fmt(channels, rate, bits):
    align = channels * bits // 8
    return chunk(b'fmt ', u16(1) + u16(channels) + u32(rate) + u32(rate * align) + u16(align) + u16(bits))

def write(harness, name, data):
    folder = os.path.join('corpus', harness)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode('latin-1')
    with open(os.path.join(folder, name), 'wb') as f:
        f.write(data)

def lines(*items, end='\r\n'):
    return ''.join(str(i) + end for i in items)

# Integer conversion.
for i, text in enumerate(['0', '-2147483648', '2147483647', '2147483648', '-2147483649', '+12', '-0', '',
                          '12a', ' 1', '000000000000000000000012', '+', '-']):
    write('str_to_int', 'seed%02d' % i, text)

# Pattern files: rows 0..L+2 of seven cells, then tempo and loop count.
def pattern(length, cells=None, tempo='50', loops='1', name='Groove'):
    rows = [[name, 'Length:', str(length), 'Time:', '4', '', ''], ['', '1', '2', '3', '4', '5', '6']]
    for step in range(length):
        row = [str(step + 1), '', '', '', '', '', '']
        if cells and step in cells:
            row[1:1 + len(cells[step])] = cells[step]
        rows.append(row)
    rows.append([''] * 7)
    return [c for r in rows for c in r] + [tempo, loops]
write('pattern_file', 'four_steps.pat', lines(*pattern(4, {0: ['Kick'], 2: ['Snare', 'HiHat']})))
write('pattern_file', 'sixteen_steps_lf.pat', lines(*pattern(16, {0: ['Kick'], 8: ['Sample1']}), end='\n'))
write('pattern_file', 'cr_only.pat', lines(*pattern(2, {1: ['Tamb']}), end='\r'))
write('pattern_file', 'bad_length.pat', lines(*(pattern(2)[:2] + ['two'] + pattern(2)[3:])))
write('pattern_file', 'bad_tempo.pat', lines(*pattern(2, tempo='fast')))
write('pattern_file', 'missing_loops.pat', lines(*pattern(3)[:-1]))
write('pattern_file', 'length_minus_one.pat', lines(*['N', 'Length:', '-1', 'Time:', '4', '', ''], '7', '1'))
write('pattern_file', 'length_minus_three.pat', lines('N', 'Length:', '-3', 'Time:'))
write('pattern_file', 'length_too_big.pat', lines('N', 'Length:', '10000', 'Time:', '4'))
# Hostile patterns: a name that the system would cut at its NUL (Save would name the kit), and
# empty lines by the thousand.
write('pattern_file', 'name_cut_by_nul.pat', lines(*(['Rock_kit.dxg\0'] + pattern(1, {0: ['Kick']})[1:])))
write('pattern_file', 'many_empty_lines.pat', b'x\r\nLength:\r\n1\r\n' + b'\n' * 20000)

# Song files: play list names, then a block of five lines per sample slot.
def song(names, blocks, pans=True):
    out = list(names)
    for slot, (path, freq, pan) in enumerate(blocks, 1):
        out += ['<*sam%d' % slot, path, str(freq), '//' if pans else '']
        if pans:
            out.append(str(pan))
    return out
blank = [('Blank.wav', 0, 0)] * 8
write('song_file', 'two_patterns.sng', lines(*song(['Intro', 'Groove', 'Groove'], [('C:\\Samples\\Clap.wav', 22050, -2500)] + blank[1:])))
write('song_file', 'without_pans.sng', lines(*song(['Groove'], blank, pans=False)))
write('song_file', 'bad_frequency.sng', lines('Groove', '<*sam1', 'Blank.wav', 'high', '//', '0'))
write('song_file', 'other_tags.sng', lines('A', '<*tempo', '<*sam9', 'B', '<*sam3', 'x.wav', '44100', '//'))
write('song_file', 'cut_short.sng', lines('A', '<*sam1', 'Blank.wav'))
# Hostile songs: entries that lead out of the working folder or are cut at a NUL, and a second
# slot-1 block without its pan marker.
write('song_file', 'names_leading_out.sng', lines('temp/../../victim', 'Rock_kit.dxg\0', '..', '.', 'a\\b', '<*sam1', 'Blank.wav', '22050', '//', '0'))
write('song_file', 'second_slot_one_without_pan.sng', lines('<*sam1', 'a.wav', '1', '//', '5', '<*sam1', 'b.wav', '2', 'xx', 'Verse', '<*sam2', 'c.wav', '3', 'yy', '7'))

# Instrument pans.
write('panning', 'centre.dat', lines(*([0] * 17)))
write('panning', 'spread.dat', lines(*([0] + [(-10000 + 1250 * i) for i in range(16)])))
write('panning', 'bad_line.dat', lines(0, 1, 2, 3, 'four', 5))
write('panning', 'short.dat', lines(0, 100, -100))
write('panning', 'extra_lines.dat', lines(*([0] * 17 + ['not read'])))
write('panning', 'many_empty_lines.dat', b'\n' * 20000)

# WAV images for both WAV readers: well-formed ones and the damaged ones of the sound tests.
wavs = {
    'mono8.wav': riff(fmt(1, 22050, 8), chunk(b'data', bytes([128, 255, 0, 129]))),
    'stereo16.wav': riff(fmt(2, 44100, 16), chunk(b'data', u16(1000) + u16(65535) + u16(0) + u16(32768))),
    'with_list_chunk.wav': riff(fmt(1, 8000, 16), chunk(b'LIST', b'INFOabc'), chunk(b'data', u16(7) * 3)),
    'odd_data_padded.wav': riff(fmt(1, 11025, 8), chunk(b'data', b'\x80\x81\x82') + b'\0', chunk(b'junk', b'')),
    'two_data_chunks.wav': riff(fmt(1, 8000, 8), chunk(b'data', b'\x01\x02'), chunk(b'data', b'\x03')),
}
for name, data in wavs.items():
    write('wave', name, data)
    write('render_wave', name, data)
sound_corpus = os.path.join('..', 'sound', 'corpus')
os.makedirs(os.path.join('corpus', 'kit_file'), exist_ok=True)
for name in sorted(os.listdir(sound_corpus)):
    source = os.path.join(sound_corpus, name)
    if name.endswith('.wav'):
        shutil.copy(source, os.path.join('corpus', 'wave', name))
        shutil.copy(source, os.path.join('corpus', 'render_wave', name))
    elif name.endswith('.dxg'):
        shutil.copy(source, os.path.join('corpus', 'kit_file', name))

# Kit files: a resource holding the collection, each sound a list of properties.
def name(s): return bytes([len(s)]) + s
def kit(items):
    body = b'TPF0' + name(b'TWaveCollectionComponent') + b'\0' + name(b'List') + b'\x0e' + b''.join(items) + b'\0\0\0'
    return b'\xff' + u16(10) + b'DRUMKITWAVECOLLECTION\0' + u16(0x1030) + u32(len(body)) + body
def item(nm, looped, image):
    out = b'\x01'
    if nm:
        out += name(b'Name') + b'\x06' + name(nm)
    return out + name(b'Looped') + (b'\x09' if looped else b'\x08') + name(b'Wave.WAVE') + b'\x0a' + u32(len(image)) + image + b'\0'
sound = riff(fmt(1, 22050, 8), chunk(b'data', bytes([128, 200, 56, 128])))
instruments = [b'Kick', b'Short Kick', b'Snare', b'ClsHiat', b'OpHiat', b'Tom1', b'Tom2', b'Cymbol1', b'Cymbol2',
               b'Rimshot', b'Shaker', b'Block', b'Congo', b'Cowbell', b'Crack', b'Tamb']
write('kit_file', 'all_instruments.dxg', kit([item(b'', False, sound)] + [item(n, False, sound) for n in instruments]))
write('kit_file', 'two_sounds.dxg', kit([item(b'', False, b''), item(b'Kick', False, sound)]))
write('kit_file', 'looped_and_empty.dxg', kit([item(b'Snare', True, sound), item(b'Ride', False, b'')]))
