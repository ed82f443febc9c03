/* A library that cannot be loaded because its dependency cannot be found. */
int clipgif_hidden_value(void);
int clipgif_needs_hidden(void) { return clipgif_hidden_value(); }
