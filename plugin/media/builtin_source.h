#pragma once
// The plug-in's own media source, for hosts that offer no
// PCM_Source_CreateFromFile: a PcmSource behind the same table of operations
// (abi/pcm_source.h), so that the composer reads through it as through the
// host's.
#include "abi/pcm_source.h"

namespace tolvar {

// Opens the WAV file at `path` (UTF-8 on Windows; see ReadOnlyFile) and returns
// a new source, or null for a null path or when memory runs out. A file that
// is missing or not a WAV that ReadWavLayout reads gives a source that is not
// available. The caller destroys it through slot 0 (flags 1).
//
//   slot 0   destroy: closes the file and frees the source; returns null.
//   slot 2   isAvailable: whether the file opened and its header was read. A
//            file without frames is available, with length 0.
//   slot 10  sampleRate: the file's rate, Hz; 0 when not available.
//   slot 11  lengthSeconds: frames / rate; 0 when not available.
//   slot 16  getSamples: zeroes the caller's framesRequested x channels values,
//            then writes the file folded to one channel (every requested
//            channel the same) from round(startTime x sampleRate) on, at the
//            requested rate, and sets framesDelivered (never more than
//            requested). The file's frames are read as they are when the rates
//            agree within a part in 10^9; otherwise the file is converted as a
//            filter (ResampleFilter: a unit impulse stays a unit impulse, the
//            DC gain is kept) and delivered from its time zero, without the
//            interpolator's ringing before it. Nothing is delivered for a
//            source that is not available, a rate or start that is not finite
//            or not positive, a start past the end, or a conversion whose
//            buffers cannot be had; nothing is written for a null block or
//            buffer, or no frames or channels requested. A file that shrinks
//            after it was opened delivers the frames it still holds.
//   others   null: the plug-in calls no other slot.
// Each source is used by one thread at a time; sources share nothing.
PcmSource* CreateBuiltinSource(const char* path);

}  // namespace tolvar
