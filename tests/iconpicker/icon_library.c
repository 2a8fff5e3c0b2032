/* A library that only carries icon resources. */
int tavrelo_icon_library_marker(void) { return 0; }
