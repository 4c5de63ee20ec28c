// A C++ program that does nothing: the floor for start-up time.
int main() {
  return 0;
}
