#include "editor/dialogues.h"
#include "editor/formedit.h"

void Command1_Click(FormEdit &) {}
void BoutPrint_Click(FormEdit &) {}
