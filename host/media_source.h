#pragma once
// The stand-in host's media source: a real PcmSource (abi/pcm_source.h) that
// reads an audio file.
//
// CreateMediaSource is the function offered as PCM_Source_CreateFromFile. It
// decodes the whole file at once (audio_file.h: every WAV libsndfile reads,
// channels averaged to one) and the source answers from memory:
//
//   slot 0   destroy(flags 1): frees the source; returns null. Other flags are
//            a misuse.
//   slot 2   isAvailable: whether the file decoded. A valid file without frames
//            is available, with length 0, and delivers nothing.
//   slot 10  sampleRate: the file's rate, Hz; 0 when not available.
//   slot 11  lengthSeconds: the file's frames / its rate; 0 when not available.
//   slot 16  getSamples(block): see below.
//   others   report the misuse on stderr, naming the slot, and abort. The table
//            has kMediaSourceTableSize entries, more than the plug-in's slots, so
//            that a call a little past them is caught too.
// An operation called on a pointer that is not a live source of ours (already
// destroyed, or foreign) is a misuse as well.
//
// getSamples fills the caller's buffer, interleaved, block->channels values per
// frame, every channel carrying the same folded signal:
//   - frame k is the file's signal at time startTime + k / sampleRate, at the
//     requested rate; the file is resampled (resample.h) when that rate differs
//     from its own by more than a part in 10^9, else copied;
//   - the first frame is round(startTime × sampleRate) of the converted file;
//   - framesDelivered = min(framesRequested, frames left from there), and
//     everything after the delivered frames, up to framesRequested, is zero;
//   - a request that cannot be served (source not available; rate or startTime
//     not finite, rate not positive or beyond the resampler's ratio limit;
//     startTime negative or past the end) zeroes the whole buffer and delivers 0;
//   - a null buffer, framesRequested <= 0 or channels <= 0 writes nothing into
//     the buffer and delivers 0; a null block is ignored.
// Nothing is ever written past framesRequested × channels values.
//
// Threads: sources may be created and destroyed on any thread; one source is
// used by one thread at a time (it caches its last conversion).
#include "abi/pcm_source.h"

namespace tolvar {

constexpr int kMediaSourceTableSize = 24;

// Opens `path`. Returns a new source, which may be "not available" when the file
// cannot be decoded; null only for a null path or when memory runs out. Every
// non-null path is recorded (source_registry.h). The caller destroys the source
// through slot 0 with flags 1.
PcmSource* CreateMediaSource(const char* path);

}  // namespace tolvar
