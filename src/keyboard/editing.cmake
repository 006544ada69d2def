# Dispatcher, cursor movement, field editing and typing: filled in with their sources.
