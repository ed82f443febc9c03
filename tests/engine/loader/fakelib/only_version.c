/* A shared library with the first of libswscale's entry points and none of the others. */
unsigned swscale_version(void) { return 0; }
