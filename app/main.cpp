// Entry point; filled in with the start-up dialogue and the engine.
int main() { return 0; }
