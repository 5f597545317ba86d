#pragma once

// Run-time lookup of OpenGL entry points, in place of the Windows-only
// wglGetProcAddress: the entry point's address, or null when the current
// context does not provide it. Needs a current context.
void* glProcAddress(const char* name);

// Tests only: make glProcAddress report `name` as missing (or present again).
void glProcHide(const char* name, bool hidden);
