// A shared library that is no data source: it exports something, but no DS_Entry.
extern "C" __attribute__((visibility("default"))) int NotASourceVersion() {
  return 1;
}
