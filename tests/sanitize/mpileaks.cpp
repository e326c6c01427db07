// Linked into korvex-batch-mpi in the sanitized build only. Open MPI keeps
// allocations past MPI_Finalize, many of them made by components it has
// already unloaded, so LeakSanitizer can neither ignore them by name nor tell
// them from ours: it stays off for this one program. The code it shares with
// korvex-batch is leak-checked there; AddressSanitizer and UBSan still watch
// everything here.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }
