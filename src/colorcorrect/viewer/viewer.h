#pragma once
// Public declarations of the viewer folder.
