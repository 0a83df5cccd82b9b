// ProgramFolder: being written.
