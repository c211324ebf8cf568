#!/bin/sh
# Makes the sound files the tests read (tests/data/sound) and the seeds of the
# sound fuzz target (fuzz/corpus_sound). Run once; the files are committed.
# Needs ffmpeg and python3. Every tone is a 440 Hz sine from ffmpeg's lavfi
# "sine" source; nothing comes from elsewhere.
#   tests/data/sound/make-sounds.sh
set -eu
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../../.." && pwd)
corpus="$top/fuzz/corpus_sound"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$corpus"

tone() {  # rate seconds channels -> args for ffmpeg
  echo "-f lavfi -i sine=frequency=440:sample_rate=$1:duration=$2 -ac $3"
}
ff() { ffmpeg -nostdin -v error -y -bitexact "$@"; }

# CAF files in the phone's compressed recording formats. ffmpeg writes ALAC,
# MP3 and IMA4 into CAF itself; it does not write AAC into CAF, so AAC is
# encoded as ADTS and its frames are put into a CAF file below, with the
# codec set-up as the "kuki" chunk and a packet table.
ff $(tone 22050 0.3 1) -c:a alac "$here/tone-alac.caf"
ff $(tone 22050 0.3 1) -c:a libmp3lame -b:a 32k "$here/tone-mp3.caf"
ff $(tone 22050 0.3 1) -c:a adpcm_ima_qt "$here/tone-ima4.caf"
ff $(tone 22050 0.3 1) -c:a aac -b:a 32k -f adts "$work/tone.aac"
python3 - "$work/tone.aac" "$here/tone-aac.caf" <<'PY'
import struct, sys
src, dst = sys.argv[1], sys.argv[2]
b = open(src, 'rb').read()
rates = [96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000, 7350]
frames, i = [], 0
while i + 7 <= len(b):
    profile = (b[i + 2] >> 6) + 1
    fidx = (b[i + 2] >> 2) & 0xF
    ch = ((b[i + 2] & 1) << 2) | (b[i + 3] >> 6)
    flen = ((b[i + 3] & 3) << 11) | (b[i + 4] << 3) | (b[i + 5] >> 5)
    head = 7 if b[i + 1] & 1 else 9
    frames.append(b[i + head:i + flen])
    i += flen
asc = struct.pack('>H', (profile << 11) | (fidx << 7) | (ch << 3))
def descr(tag, body): return bytes([tag, len(body)]) + body
dec = descr(0x04, bytes([0x40, 0x15]) + b'\0\0\0' + struct.pack('>II', 0, 0) + descr(0x05, asc))
esds = b'\0\0\0\0' + descr(0x03, b'\0\0\0' + dec + descr(0x06, b'\x02'))
def vlq(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.append(0x80 | (n & 0x7F))
        n >>= 7
    return bytes(reversed(out))
def chunk(kind, body): return kind + struct.pack('>q', len(body)) + body
desc = struct.pack('>d4sIIIII', rates[fidx], b'aac ', 2, 0, 1024, ch, 0)
pakt = struct.pack('>qqii', len(frames), len(frames) * 1024 - 2048, 2048, 0) + b''.join(vlq(len(f)) for f in frames)
data = struct.pack('>I', 0) + b''.join(frames)
open(dst, 'wb').write(b'caff' + struct.pack('>HH', 1, 0) + chunk(b'desc', desc) + chunk(b'kuki', esds) +
                      chunk(b'pakt', pakt) + chunk(b'data', data))
PY

# Fuzz seeds: each kind of file the decoder meets, and the hostile ones,
# a few KB each.
for f in tone-aac tone-alac tone-mp3 tone-ima4; do cp "$here/$f.caf" "$corpus/caf-${f#tone-}.caf"; done
ff $(tone 44100 0.05 1) -c:a pcm_s16le "$corpus/wav-pcm16.wav"
ff $(tone 22050 0.05 2) -c:a pcm_u8 "$corpus/wav-u8-stereo.wav"
ff $(tone 8000 0.2 1) -c:a adpcm_ima_wav "$corpus/wav-ima-adpcm.wav"
ff $(tone 44100 0.03 1) -c:a pcm_s16be "$corpus/aiff-pcm16.aif"
ff $(tone 44100 0.03 1) -c:a pcm_s16be -f caf "$corpus/caf-pcm16.caf"
ff $(tone 44100 0.03 1) -c:a pcm_f32le "$corpus/wav-float.wav"
ff $(tone 16000 0.05 1) -c:a flac "$corpus/flac.flac"
python3 - "$corpus" <<'PY'
import math, struct, sys
out = sys.argv[1]
def wav(name, rate, data, fmt=1, bits=8, ch=1):
    align = ch * bits // 8
    fmtchunk = struct.pack('<HHIIHH', fmt, ch, rate, rate * align, align, bits)
    body = b'WAVE' + b'fmt ' + struct.pack('<I', len(fmtchunk)) + fmtchunk + b'data' + struct.pack('<I', len(data)) + data
    open(f'{out}/{name}', 'wb').write(b'RIFF' + struct.pack('<I', len(body)) + body)
sine = bytes((128 + int(100 * math.sin(i * 0.3))) & 255 for i in range(2000))
# Sample rates no sound has: the decoder refused them from their headers.
wav('wav-rate1.wav', 1, sine)
wav('wav-rate2.wav', 2, sine)
wav('wav-rate-huge.wav', 4000000, sine)
# A float file holding not-a-number and infinite samples between real ones.
vals = [0.5, float('nan'), float('inf'), -float('inf'), 1e30, -0.25] * 100
wav('wav-float-nan-inf.wav', 44100, b''.join(struct.pack('<f', v) for v in vals), fmt=3, bits=32)
# 4000 Hz 8-bit claiming 40 minutes, holding a few hundred bytes.
body = b'WAVEfmt ' + struct.pack('<IHHIIHH', 16, 1, 1, 4000, 4000, 1, 8) + b'data' + struct.pack('<I', 9600000) + sine[:400]
open(f'{out}/wav-claims-40-minutes.wav', 'wb').write(b'RIFF' + struct.pack('<I', len(body)) + body)
def caf(name, chunks):
    open(f'{out}/{name}', 'wb').write(b'caff' + struct.pack('>HH', 1, 0) +
                                      b''.join(k + struct.pack('>q', len(v) if n is None else n) + v for k, v, n in chunks))
aacdesc = struct.pack('>d4sIIIII', 22050.0, b'aac ', 2, 0, 1024, 1, 0)
# A packet table that claims a trillion packets.
caf('caf-pakt-claims-trillion.caf', [(b'desc', aacdesc, None), (b'pakt', struct.pack('>qqii', 10**12, 10**15, 0, 0) + b'\x10' * 64, None), (b'data', b'\0' * 68, -1)])
# A header list that claims a billion tags.
caf('caf-info-claims-billion.caf', [(b'desc', aacdesc, None), (b'info', struct.pack('>I', 10**9) + b'a\0b\0' * 64, None), (b'data', b'\0' * 68, -1)])
# A chunk larger than the file, and a rate of one hertz.
caf('caf-chunk-past-end.caf', [(b'desc', aacdesc, None), (b'kuki', b'\0' * 16, 1 << 40)])
caf('caf-ima4-rate1.caf', [(b'desc', struct.pack('>d4sIIIII', 1.0, b'ima4', 0, 34, 64, 1, 0), None), (b'data', b'\0' * 4 + bytes(range(256)) * 4, None)])
# A recording cut off before its header was finished: the sound runs to the
# end of the file, its last frame half written; and a rate that is no number.
pcmdesc = struct.pack('>d4sIIIII', 44100.0, b'lpcm', 2, 4, 1, 2, 16)
caf('caf-pcm16-open-ended.caf', [(b'desc', pcmdesc, None), (b'data', b'\0' * 4 + bytes(range(256)) * 8 + b'\x7f\x7f\x7f', -1)])
caf('caf-pcm16-rate-nan.caf', [(b'desc', struct.pack('>d4sIIIII', float('nan'), b'lpcm', 2, 4, 1, 2, 16), None), (b'data', b'\0' * 4 + bytes(range(256)) * 8, None)])
# A format the program does not play.
caf('caf-ilbc.caf', [(b'desc', struct.pack('>d4sIIIII', 8000.0, b'ilbc', 0, 50, 240, 1, 0), None), (b'data', b'\0' * 104, None)])
PY
ls -l "$here" "$corpus"
