// Linked with every object of nuk_view and without nuk_gui (see tests/CMakeLists.txt): the
// build fails when view/ calls a function that only gui's Qt side implements.
int main() {
    return 0;
}
