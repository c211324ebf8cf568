#include "atomdata/ADFamilies.h"

#include "atomdata/contacts/ADContacts.h"
#include "atomdata/servicedoc/ADAtomServiceDocument.h"

void ADRegisterServiceFamilies() {
  ADContactConstants::registerClasses();
  ADAtomServiceDocument::registerClasses();
}
