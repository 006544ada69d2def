# Key list and layout files: filled in with their sources.
