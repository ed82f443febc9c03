/* A library the test never puts where the system's search would find it. */
int clipgif_hidden_value(void) { return 7; }
