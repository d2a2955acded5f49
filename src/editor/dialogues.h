#pragma once

class FormEdit;

// The main window's buttons that open another window. Each is defined beside its dialog,
// so that this window only wires the click.
void BoutFind_Click(FormEdit &fenetre);        // search/
void Fichier_Click(FormEdit &fenetre);         // files/
void Command1_Click(FormEdit &fenetre);        // output/: the transfer dialog
void BoutPrint_Click(FormEdit &fenetre);       // output/
void BoutMultimedia_Click(FormEdit &fenetre);  // media/
