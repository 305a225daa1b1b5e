// What the programs do first in main(), before anything else runs.
#pragma once

namespace quorvel::startup {

// Call first in main(). Tesseract asks OpenMP for ten threads at a time;
// on a computer with fewer cores they spin against each other, and a
// scanned page takes 14 s instead of 1.5 s (two cores). OpenMP reads its
// limit when it is loaded, before main(), so the program starts itself
// once more with OMP_THREAD_LIMIT set to the number of cores, unless the
// environment sets a limit.
void limitOcrThreads(char** argv);

}  // namespace quorvel::startup
