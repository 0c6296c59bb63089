// Example window programs (being written).
int main() { return 0; }
