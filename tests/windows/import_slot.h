// The import slot through which every call of the program to a Windows
// routine goes, as NameSlot; i686 names it after the stdcall argument bytes.
#pragma once

#ifdef _WIN64
#define IMPORT_SLOT(Name, ArgumentBytes) extern "C" void* Name##Slot asm("__imp_" #Name)
#else
#define IMPORT_SLOT(Name, ArgumentBytes)                                                           \
    extern "C" void* Name##Slot asm("__imp__" #Name "@" #ArgumentBytes)
#endif
