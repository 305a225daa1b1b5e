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

// Overwrites an argument in place, once it has been read: every user of the
// computer can read a process's arguments (/proc/<pid>/cmdline), and a
// guest's message names the guest. Between the start and this call the
// message can still be seen: standard input keeps even that instant private.
void hideArgument(char* arg);

}  // namespace quorvel::startup
