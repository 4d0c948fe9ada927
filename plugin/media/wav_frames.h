#pragma once
// The samples of a WAV file, folded to one channel, for the built-in media source.
#include <cstdint>

#include "plugin/media/wav_layout.h"
#include "plugin/platform/read_only_file.h"

namespace tolvar {

// Reads frames first .. first + count - 1 (of layout.frames) into out, each
// the average of its channels: integers scaled to [-1, 1) (a 16-bit value v
// becomes v / 32768, 8-bit values are unsigned around 128), floats as stored.
// Returns the frames read: fewer than asked when they pass the end of the
// data, or the file ends sooner than it did when the layout was read (a file
// that shrinks while it is read). Nothing is written past out[count - 1].
int64_t ReadFoldedFrames(ReadOnlyFile& file, const WavLayout& layout, uint64_t first, int64_t count, double* out);

}  // namespace tolvar
