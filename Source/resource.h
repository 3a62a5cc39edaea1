// Resource identifiers, shared by the resource script and the code.
#define IDR_MAINMENU 101
#define ID_FILE_OPEN 40001
#define ID_ANIMATION_PAUSE 40101
#define ID_ANIMATION_FASTER 40102
#define ID_ANIMATION_SLOWER 40103
// The animation sets listed in the Animation menu: this, plus the set's number.
#define ID_ANIMATION_SET 41000
