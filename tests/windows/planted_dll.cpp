// A DLL that stands for one planted beside the installer by someone else; it
// needs no code of its own.
