#include "editor/dialogues.h"
#include "editor/formedit.h"

void Fichier_Click(FormEdit &) {}
