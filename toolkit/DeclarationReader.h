// Reads a parsed declaration into a form: the form's own properties first,
// then each component in turn, created by class name, bound to the form's
// published field of the same name, its properties read and its handlers
// bound as they come.
#pragma once

#include "toolkit/Declaration.h"

#include <string>

namespace toolkit {

class TForm;

// Throws EReadError naming the line and the item that could not be read.
void ReadDeclaration(TForm& form, const std::string& className, const DeclarationNode& root);

}
