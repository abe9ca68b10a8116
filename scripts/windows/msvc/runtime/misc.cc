// Stands in for small pieces of Visual C++'s static runtime: the marker the compiler asks for
// when floating point is used, and the stack probe for frames larger than a page.

extern "C" {
int _fltused = 0x9875;

// Touches each page of a new stack frame of RAX bytes from the top down, so that the guard page
// moves with it; keeps every register but the flags.
__attribute__((naked)) void __chkstk() {
  __asm__ volatile(
      "push %rcx\n"
      "push %rax\n"
      "cmp $0x1000, %rax\n"
      "lea 24(%rsp), %rcx\n"
      "jb 1f\n"
      "2:\n"
      "sub $0x1000, %rcx\n"
      "test %rcx, (%rcx)\n"
      "sub $0x1000, %rax\n"
      "cmp $0x1000, %rax\n"
      "ja 2b\n"
      "1:\n"
      "sub %rax, %rcx\n"
      "test %rcx, (%rcx)\n"
      "pop %rax\n"
      "pop %rcx\n"
      "ret\n");
}
}
