// Ids of the clock properties, all zones and preferences dialogs.
#pragma once
