// Placeholder: the fault probe raises processor faults for the tests.
int main() { return 0; }
