// A loadable module without `main`, for the loader's failure path.
extern "C" int TolvarFakeNoEntry() { return 0; }
