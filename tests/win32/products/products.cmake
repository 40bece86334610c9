# Test products of the completion stage; filled in as they land.
