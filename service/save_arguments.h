#pragma once

// Copies the command-line arguments into saved_argv. An argument that cannot be copied
// for want of memory is left null; when the array itself cannot be allocated, nothing is
// kept and saved_argc becomes 0.
void save_arguments(int argc, char** argv);

// Frees the copies and the array; nothing is kept afterwards.
void free_saved_arguments();
