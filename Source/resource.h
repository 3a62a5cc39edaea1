// Resource identifiers, shared by the resource script and the code.
#define IDR_MAINMENU 101
#define ID_FILE_OPEN 40001
