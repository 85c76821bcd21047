// Placeholder: the string component is implemented separately.
