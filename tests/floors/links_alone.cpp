// Linked with every object of one library below the GUI and only with what that library
// declares it needs (see tests/CMakeLists.txt): the build fails when the library calls into Qt,
// gui/ or a folder above it.
int main() {
    return 0;
}
