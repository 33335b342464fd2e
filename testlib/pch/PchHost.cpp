// The test programs reuse the precompiled headers built with this.
int main() { return 0; }
