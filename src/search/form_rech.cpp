#include "editor/dialogues.h"
#include "editor/formedit.h"

void BoutFind_Click(FormEdit &) {}
