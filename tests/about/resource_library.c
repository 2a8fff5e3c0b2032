/* A library that only carries resources. */
int tavrelo_resource_library_marker(void) { return 0; }
