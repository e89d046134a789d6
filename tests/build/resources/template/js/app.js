alert(1);
